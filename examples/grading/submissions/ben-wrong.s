; Ben: adds the two numbers instead of multiplying them.
        MOVE r1, [0x00]
        MOVE r2, [0x01]
        ADD  r3, r1, r2
        MOVE [0x02], r3
        ADDI r0, r0, 0
halt:   JZ   @halt

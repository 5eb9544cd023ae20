; Cleo: right, but counts the product up by one, x times for each round of y.
        MOVE r2, [0x01]         ; r2 = y, rounds to go
outer:  ADDI r2, r2, 0
        JZ   done
        MOVE r1, [0x00]         ; r1 = x, ones to add this round
inner:  ADDI r1, r1, 0
        JZ   next
        ADDI r3, r3, 1          ; product += 1
        ADDI r1, r1, -1
        ADDI r0, r0, 0
        JZ   inner
next:   ADDI r2, r2, -1
        ADDI r0, r0, 0
        JZ   outer
done:   MOVE [0x02], r3
        ADDI r0, r0, 0
halt:   JZ   @halt
